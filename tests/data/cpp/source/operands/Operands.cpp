#include "_Operands.hpp"

#line 1 "Operands.vn"


// Implementation of functions
Cell::Cell():x(),items(){
}
#line 4
Cell::Cell(int const VORN_argx):x(VORN_argx),items(){
}
#line 4
Cell::Cell(int const VORN_argx,std::vector<int > const & VORN_argitems):x(VORN_argx),items(VORN_argitems){
}


Cell mk(int const n){
	Cell c;
	((c).x)=(n);
	((c).items).push_back((n)*(10));
	return c;
}



int main(){
	int n=5;
	printf("%d %d %d\n",(1)+((mk((n)-(1))).x),(1)+(maxOf<int > ((n)-(1),3)),(2)*(((mk((n)+(1))).items)[0]));
	printf("%d %d %d\n",-((mk((n)-(1))).x),(n)-(maxOf<int > ((n)-(1),((n)>(3))?(7):(0))),(100)/((mk(((n)==(5))?(4):(1))).x));
	bool big=((n)>(1))&&(((mk((((n)>(4))||((n)<(0)))?(9):(0))).x)>(8));
	printf("%d %d\n",big,((n)*(((mk(n)).items)[((n)-(n))]))-(1));
	puts("narrow");
	puts(u8"utf-8");
	printf("%ls %lc %c\n",L"wide",L'w','a');
	return 0;
}
