#include "_Operators.hpp"

#line 1 "Operators.vn"


// Implementation of functions

#line 3
Cell::Cell():value(){
}
#line 3
Cell::Cell(int const VORN_argvalue):value(VORN_argvalue){
}

int main(){
	int a=7;
	int b=3;
	printf("%d %d %d %d %d\n",(a)+((b)*(2)),(((a)+(b)))*(2),((a)-(b))-(1),(a)/(b),(a)%(b));
	printf("%d %d %d %d\n",(-(a))+(b),-((-(a))),!(a),~(b));
	bool inOrder=(((1)<(a)))&&(((a)<(10)));
	bool same=(((a)==(b)))==(false);
	printf("%d %d %d %d\n",inOrder,same,(a)!=(b),(((a)<=(b)))||(((b)>=(a))));
	printf("%d %d %d %d %d\n",(a)|(b),(a)&(b),(a)^(b),(a)<<(2),(a)>>(1));
	printf("%d %d\n",(a)|((b)&(1)),(((a)|(b)))&(1));
	int c=1;
	(c)+=(4);
	(c)-=(1);
	(c)*=(6);
	(c)/=(4);
	(c)%=(5);
	(c)<<=(3);
	(c)>>=(1);
	(c)|=(1);
	(c)&=(13);
	(c)^=(6);
	printf("%d\n",c);
	int d=(a)=((b)=(2));
	printf("%d %d %d %d\n",d,a,((a)>(1))?(10):(20),((a)>(5))?(1):(((a)>(1))?(2):(3)));
	std::vector<int > numbers;
	(numbers).resize(2);
	((numbers)[0])=(5);
	((numbers)[1])=(((numbers)[0])*(2));
	Cell * cell=new Cell ();
	((cell)->value)=(((numbers)[1])+(1));
	printf("%d %d\n",(numbers)[1],(cell)->value);
	delete cell;
	return 0;
}
