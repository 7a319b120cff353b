#include "_Templates.hpp"

#line 1 "Templates.vn"


// Implementation of functions

#line 28
int main(){
	IntBox b;
	(b).put(20);
	(b).put(21);
	Box<char >  c;
	(c).put(65);
	Pair<int ,long >  p;
	((p).first)=(1);
	((p).second)=(2);
	printf("%d %d %c %d\n",(b).get(),Box<int >  ::count,(c).get(),Box<char >  ::count);
	printf("%d %d %ld\n",twice<int > (21),square(5),(p).swapSum(40));
	Shelf<int >  s;
	(s).stock(1);
	(s).stock(2);
	(Store ::Bin<int >  ::last)=(4);
	printf("%d %d %d %d\n",Shelf<int >  ::stocked,Shelf<char >  ::Slot ::made,Store ::Bin<int >  ::last,Store ::opened);
	return 0;
}
