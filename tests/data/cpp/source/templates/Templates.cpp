#include "_Templates.hpp"

#line 1 "Templates.vn"


// Implementation of functions

#line 28
Int main(){
	IntBox b;
	(b).put(20);
	(b).put(21);
	Box<Char >  c;
	(c).put(65);
	Pair<Int ,Long >  p;
	((p).first)=(1);
	((p).second)=(2);
	printf("%d %d %c %d\n",(b).get(),Box<Int >  ::count,(c).get(),Box<Char >  ::count);
	printf("%d %d %ld\n",twice<Int > (21),square(5),(p).swapSum(40));
	Shelf<Int >  s;
	(s).stock(1);
	(s).stock(2);
	(Store ::Bin<Int >  ::last)=(4);
	printf("%d %d %d %d\n",Shelf<Int >  ::stocked,Shelf<Char >  ::Slot ::made,Store ::Bin<Int >  ::last,Store ::opened);
	return 0;
}
